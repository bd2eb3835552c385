# SPDX-License-Identifier: GPL-2.0-or-later
# Helpers shared by the subdirectories.

# qk_add_gtest(NAME name SOURCES src... [LIBS lib...] [LABELS label]
#              [ENVIRONMENT VAR=value...])
# A GoogleTest executable whose tests are registered with CTest one by one.
function(qk_add_gtest)
	cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
	add_executable(${T_NAME} ${T_SOURCES})
	target_link_libraries(${T_NAME} PRIVATE qktest GTest::gtest GTest::gtest_main ${T_LIBS})
	# Test discovery cannot hand on list-valued properties, so the
	# environment comes from env(1) in front of every run. One label only.
	if(T_ENVIRONMENT)
		set_target_properties(${T_NAME} PROPERTIES
			CROSSCOMPILING_EMULATOR "env;${T_ENVIRONMENT}")
	endif()
	gtest_discover_tests(${T_NAME}
		TEST_PREFIX "${T_NAME}."
		DISCOVERY_TIMEOUT 60
		PROPERTIES LABELS "${T_LABELS}")
endfunction()

# qk_add_fuzzer(NAME name SOURCES src... [LIBS lib...] [INCLUDES dir...]
#               [CORPUS dir] [DEFINES def...])
# A libFuzzer target. In a QK_FUZZ build (clang) it is instrumented and the
# test suite runs it for QK_FUZZ_SECONDS over its seed corpus; in the other
# builds it is linked with a small driver that replays the seed corpus, so the
# seeds run under every build's sanitizers too.
function(qk_add_fuzzer)
	cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS;INCLUDES;DEFINES" ${ARGN})
	if(QK_FUZZ)
		add_executable(${F_NAME} ${F_SOURCES})
		target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
		set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${F_NAME}.corpus)
		# The program and the corpus directories stay separate words, so
		# that scripts/fuzz.sh can find them in the test's command.
		add_test(NAME fuzz.${F_NAME}
			COMMAND sh -c "mkdir -p \"$1\" && exec \"$0\" -max_total_time=${QK_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \"$@\""
				$<TARGET_FILE:${F_NAME}> ${corpus} ${F_CORPUS})
		set_tests_properties(fuzz.${F_NAME} PROPERTIES LABELS fuzz
			TIMEOUT 600)
		add_dependencies(fuzzers ${F_NAME})
	else()
		add_executable(${F_NAME} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/harness/support/fuzz_replay.c)
		if(F_CORPUS)
			add_test(NAME replay.${F_NAME} COMMAND ${F_NAME} ${F_CORPUS})
			set_tests_properties(replay.${F_NAME} PROPERTIES LABELS replay)
		endif()
	endif()
	target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
	target_include_directories(${F_NAME} PRIVATE ${F_INCLUDES})
	target_compile_definitions(${F_NAME} PRIVATE QK_FUZZING ${F_DEFINES})
endfunction()

if(QK_FUZZ AND NOT TARGET fuzzers)
	add_custom_target(fuzzers)
endif()
