# SPDX-License-Identifier: GPL-2.0-or-later
# qk_add_runnable_library(NAME source...)
# A program that a booster can also load with dlopen and enter at its main.
# The loader refuses objects marked as position-independent executables, so
# it is linked as a shared object that carries what makes it runnable: the C
# start-up object as entry point and the program interpreter. Started
# directly it runs like any program; loaded, none of that is used.

# The interpreter of the compiler's target, read from a program it links.
if(NOT QK_PROGRAM_INTERPRETER)
	set(probe_dir ${CMAKE_BINARY_DIR}/CMakeFiles/qk-interpreter)
	file(WRITE ${probe_dir}/probe.c "int main(void) { return 0; }\n")
	try_compile(linked ${probe_dir}/build SOURCES ${probe_dir}/probe.c
		COPY_FILE ${probe_dir}/probe)
	if(linked)
		file(STRINGS ${probe_dir}/probe interpreter
			REGEX "^/[^ ]*/ld-[^ /]*\\.so\\.[0-9]+$" LIMIT_COUNT 1)
	endif()
	if(NOT interpreter)
		message(FATAL_ERROR "no program interpreter found in a linked program")
	endif()
	set(QK_PROGRAM_INTERPRETER ${interpreter} CACHE INTERNAL "")
endif()
if(NOT QK_START_OBJECT)
	separate_arguments(flags UNIX_COMMAND "${CMAKE_C_FLAGS}")
	execute_process(COMMAND ${CMAKE_C_COMPILER} ${flags} -print-file-name=Scrt1.o
		OUTPUT_VARIABLE start OUTPUT_STRIP_TRAILING_WHITESPACE)
	if(NOT IS_ABSOLUTE "${start}" OR NOT EXISTS "${start}")
		message(FATAL_ERROR "no start-up object Scrt1.o for the compiler's target")
	endif()
	set(QK_START_OBJECT ${start} CACHE INTERNAL "")
endif()
set(QK_INTERPRETER_SOURCE ${CMAKE_BINARY_DIR}/CMakeFiles/qk-interpreter/interp.c)
file(CONFIGURE OUTPUT ${QK_INTERPRETER_SOURCE} CONTENT
	"static const char interp[] __attribute__((section(\".interp\"), used)) =\n\t\"@QK_PROGRAM_INTERPRETER@\";\n"
	@ONLY)

function(qk_add_runnable_library name)
	add_library(${name} SHARED ${ARGN} ${QK_INTERPRETER_SOURCE} ${QK_START_OBJECT})
	set_target_properties(${name} PROPERTIES
		PREFIX ""
		SUFFIX ""
		NO_SONAME ON)
	target_link_options(${name} PRIVATE LINKER:-e,_start)
endfunction()
