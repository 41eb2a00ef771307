# The header-only libraries the host and the program use: fmt (number formatting),
# nlohmann_json (glTF) and CLI11 (the command line). A cross build for Windows takes
# Debian's own headers of them, seen through a folder of their own, so that the
# compiler never searches /usr/include and meets the Linux C library's headers there.
if(CMAKE_CROSSCOMPILING AND WIN32)
  set(linux_headers ${PROJECT_BINARY_DIR}/linux-headers)
  file(MAKE_DIRECTORY ${linux_headers})
  foreach(library fmt nlohmann CLI)
    if(NOT EXISTS /usr/include/${library})
      message(FATAL_ERROR "/usr/include/${library} is missing: install libfmt-dev, nlohmann-json3-dev and libcli11-dev")
    endif()
    file(CREATE_LINK /usr/include/${library} ${linux_headers}/${library} SYMBOLIC)
  endforeach()
  add_library(tuft_linux_headers INTERFACE)
  target_include_directories(tuft_linux_headers SYSTEM INTERFACE ${linux_headers})
  add_library(fmt::fmt-header-only ALIAS tuft_linux_headers)
  add_library(nlohmann_json::nlohmann_json ALIAS tuft_linux_headers)
  add_library(CLI11::CLI11 ALIAS tuft_linux_headers)
  target_compile_definitions(tuft_linux_headers INTERFACE FMT_HEADER_ONLY=1)
else()
  find_package(fmt REQUIRED)
  find_package(nlohmann_json REQUIRED)
  find_package(CLI11 CONFIG REQUIRED)
endif()
