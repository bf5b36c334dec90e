# A helper program of the end-to-end tests or the benchmark: one source file with a wide entry
# point, self-contained, so that it runs from any folder of a Wine prefix with nothing beside it.
# The source is <name>.cpp unless a second argument names another.
function(add_helper_tool name)
  set(source ${name}.cpp)
  if(ARGC GREATER 1)
    set(source ${ARGV1})
  endif()
  add_executable(${name} ${source})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/e2e/tools)
  target_compile_options(${name} PRIVATE -Wall -Wextra -Wpedantic)
  target_compile_definitions(${name} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                             _WIN32_WINNT=0x0601 WINVER=0x0601)
  target_link_options(${name} PRIVATE -municode -static -static-libgcc -static-libstdc++)
endfunction()
