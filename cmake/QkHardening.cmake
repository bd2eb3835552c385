# SPDX-License-Identifier: GPL-2.0-or-later
# The distribution's hardening for every program and library: stack
# protector, format-string checks, fortified calls where the optimiser can
# see buffer sizes, read-only relocations bound at start-up, and programs
# that load at a random address.

add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)

# Fortified calls need optimisation, and the sanitizers check the same calls
# themselves; a Debug build or a sanitizer build would only get a warning.
if(NOT QK_SANITIZE AND NOT QK_FUZZ)
	add_compile_options($<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
endif()

add_link_options(LINKER:-z,relro LINKER:-z,now)

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)
