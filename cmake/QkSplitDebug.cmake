# SPDX-License-Identifier: GPL-2.0-or-later
# Run by the install step (see QkDebugInfo.cmake) with QK_OBJCOPY, QK_STRIP
# and QK_READELF set. Both halves take the debug information from the built
# file, so the debug file one stages is byte for byte the one whose checksum
# the other wrote into the debug link.
include_guard(GLOBAL)

# The place of built's debug file below a debug directory:
# .build-id/xx/yyyy.debug, xx being the first two hex digits of its build id.
function(qk__debug_path built out)
	execute_process(COMMAND "${QK_READELF}" --notes "${built}"
		OUTPUT_VARIABLE notes COMMAND_ERROR_IS_FATAL ANY)
	if(NOT notes MATCHES "Build ID: ([0-9a-f][0-9a-f])([0-9a-f]+)")
		message(FATAL_ERROR "${built} has no build id")
	endif()
	set(${out} .build-id/${CMAKE_MATCH_1}/${CMAKE_MATCH_2}.debug PARENT_SCOPE)
endfunction()

# Strips the installed copy of built and links it to its debug file.
function(qk_strip_installed built installed strip)
	set(file "$ENV{DESTDIR}${installed}")
	qk__debug_path("${built}" debug)
	message(STATUS "Stripping: ${file}")
	# The link names the debug file and holds its checksum, so objcopy
	# reads a copy of it, made beside the file and removed again.
	set(scratch "${file}.debug-link")
	file(REMOVE_RECURSE "${scratch}")
	file(MAKE_DIRECTORY "${scratch}")
	get_filename_component(name "${debug}" NAME)
	execute_process(
		COMMAND "${QK_OBJCOPY}" --only-keep-debug "${built}" "${scratch}/${name}"
		COMMAND_ERROR_IS_FATAL ANY)
	# Installing over an earlier staging must not fail on its old link.
	execute_process(
		COMMAND "${QK_STRIP}" ${strip} --remove-section=.gnu_debuglink "${file}"
		COMMAND_ERROR_IS_FATAL ANY)
	execute_process(
		COMMAND "${QK_OBJCOPY}" "--add-gnu-debuglink=${scratch}/${name}" "${file}"
		COMMAND_ERROR_IS_FATAL ANY)
	file(REMOVE_RECURSE "${scratch}")
endfunction()

# Stages the debug information of built under debugdir.
function(qk_install_debug built debugdir)
	qk__debug_path("${built}" debug)
	set(file "$ENV{DESTDIR}${debugdir}/${debug}")
	message(STATUS "Installing: ${file}")
	get_filename_component(dir "${file}" DIRECTORY)
	file(MAKE_DIRECTORY "${dir}")
	execute_process(COMMAND "${QK_OBJCOPY}" --only-keep-debug "${built}" "${file}"
		COMMAND_ERROR_IS_FATAL ANY)
	file(CHMOD "${file}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
	set(CMAKE_INSTALL_MANIFEST_FILES ${CMAKE_INSTALL_MANIFEST_FILES} "${file}" PARENT_SCOPE)
endfunction()
