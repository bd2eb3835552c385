# SPDX-License-Identifier: GPL-2.0-or-later
# The same commit gives the same image, wherever and whenever it is built:
# no path of the source or build tree and no clock time ends up in an output.

# Source and build paths leave __FILE__ (assertion texts) and the debug
# information as paths relative to the tree. The compiler takes the last
# matching map, so the longer prefix, which may lie inside the other, goes
# last.
set(qk_prefixes ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
string(LENGTH "${PROJECT_SOURCE_DIR}" source_length)
string(LENGTH "${PROJECT_BINARY_DIR}" binary_length)
if(source_length GREATER binary_length)
	list(REVERSE qk_prefixes)
endif()
foreach(prefix ${qk_prefixes})
	add_compile_options(-ffile-prefix-map=${prefix}=.)
endforeach()

# Build-tree run paths relative to each binary: installing blanks the string
# out but keeps its length, which would otherwise be the build tree's.
set(CMAKE_BUILD_RPATH_USE_ORIGIN ON)

# QK_SOURCE_DATE_EPOCH: the time stamp of every date an output embeds, from
# SOURCE_DATE_EPOCH or else the last commit; empty where neither is known.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
	set(QK_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
	find_package(Git QUIET)
	if(GIT_FOUND)
		execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
			WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
			OUTPUT_VARIABLE QK_SOURCE_DATE_EPOCH
			OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
	endif()
endif()
