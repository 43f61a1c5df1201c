# Hardened binaries on GNU/Linux, as Debian builds its packages: stack
# protector, _FORTIFY_SOURCE, format checks, PIE, full RELRO with bind-now,
# and control-flow protection on x86. The flags go before those given in
# CXXFLAGS and LDFLAGS, so that a user's or packager's own flags win.
option(TESSELON_HARDEN "Hardened binaries on GNU/Linux with GCC or Clang" ON)
if(NOT TESSELON_HARDEN OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux"
   OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  return()
endif()

set(hardening "-fstack-protector-strong -Wformat -Werror=format-security")
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86)$")
  string(APPEND hardening " -fcf-protection")
endif()
set(CMAKE_CXX_FLAGS "${hardening} ${CMAKE_CXX_FLAGS}")
set(CMAKE_EXE_LINKER_FLAGS "-Wl,-z,relro -Wl,-z,now ${CMAKE_EXE_LINKER_FLAGS}")

# _FORTIFY_SOURCE needs optimisation, and the sanitizers check those calls
# themselves; a level given by the user is kept.
if(NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE" AND NOT TESSELON_SANITIZE AND NOT TESSELON_FUZZ)
  foreach(config RELEASE RELWITHDEBINFO MINSIZEREL)
    set(CMAKE_CXX_FLAGS_${config} "-D_FORTIFY_SOURCE=2 ${CMAKE_CXX_FLAGS_${config}}")
  endforeach()
endif()

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
