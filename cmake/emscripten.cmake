# The WebAssembly build (the web preset): emscripten's own toolchain file,
# found through em-config on the PATH, so that no path of one installation
# is written into the presets.
find_program(ELAB_EM_CONFIG em-config)
if(NOT ELAB_EM_CONFIG)
  message(FATAL_ERROR "No em-config on the PATH: install emscripten (Debian package emscripten)")
endif()
execute_process(COMMAND ${ELAB_EM_CONFIG} EMSCRIPTEN_ROOT OUTPUT_VARIABLE ELAB_EMSCRIPTEN_ROOT
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
include(${ELAB_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake)
