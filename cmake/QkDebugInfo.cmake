# SPDX-License-Identifier: GPL-2.0-or-later
# qk_split_debug(target COMPONENT component DESTINATION dir [RENAME name])
# Called after the install rule of a program or library of a deliverable. Its
# component then stages the file stripped, with a debug link, and the
# component "<component>-dbg" stages the debug information apart, under
# lib/debug/.build-id/ by build id, where a debugger looks for it. The image
# does without the debug components.

# Every linked file carries a build id: the debug files are found by it.
add_link_options(LINKER:--build-id=sha1)

set(QK_SPLIT_DEBUG_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/QkSplitDebug.cmake)

function(qk_split_debug target)
	cmake_parse_arguments(D "" "COMPONENT;DESTINATION;RENAME" "" ${ARGN})
	set(name $<TARGET_FILE_NAME:${target}>)
	if(D_RENAME)
		set(name ${D_RENAME})
	endif()
	# A program loses every symbol; a library keeps what relocations need.
	get_target_property(type ${target} TYPE)
	if(type STREQUAL EXECUTABLE)
		set(strip --strip-all)
	else()
		set(strip --strip-unneeded)
	endif()
	set(setup "set(QK_OBJCOPY \"${CMAKE_OBJCOPY}\")
set(QK_STRIP \"${CMAKE_STRIP}\")
set(QK_READELF \"${CMAKE_READELF}\")
include(\"${QK_SPLIT_DEBUG_SCRIPT}\")")
	install(CODE "${setup}
qk_strip_installed(\"$<TARGET_FILE:${target}>\" \"\${CMAKE_INSTALL_PREFIX}/${D_DESTINATION}/${name}\" ${strip})"
		COMPONENT ${D_COMPONENT})
	install(CODE "${setup}
qk_install_debug(\"$<TARGET_FILE:${target}>\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/debug\")"
		COMPONENT ${D_COMPONENT}-dbg)
endfunction()
