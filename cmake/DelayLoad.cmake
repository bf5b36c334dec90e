# Delay-import libraries: a DLL linked through one is bound at the first call into it rather than
# while the process starts, so that the program's own loader hook can take it from the system
# folder. Each one is made from the toolchain's ordinary import library: the same exports
# (stdcall decorations stripped from the names imported, as mingw-w64 makes its own), bound late.

# Sets ${out} to the delay-import libraries of the given DLLs (names without extension).
function(mavik_delay_import_libraries out)
  set(libraries)
  foreach(dll IN LISTS ARGN)
    find_library(mavik_import_${dll} NAMES lib${dll}.a REQUIRED NO_CACHE)
    set(definition ${CMAKE_BINARY_DIR}/delayload/${dll}.def)
    set(library ${CMAKE_BINARY_DIR}/delayload/lib${dll}_delay.a)
    execute_process(COMMAND ${CMAKE_NM} --defined-only ${mavik_import_${dll}}
                    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # "__imp_<name>" on 64-bit, "__imp__<name>" on 32-bit, where C names carry a leading "_".
    string(REGEX MATCHALL "__imp__?[A-Za-z0-9_@?$]+" imports "${symbols}")
    list(REMOVE_DUPLICATES imports)
    list(TRANSFORM imports REPLACE "^__imp_" "")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      list(TRANSFORM imports REPLACE "^_" "")
    endif()
    list(JOIN imports "\n" exports)
    file(WRITE ${definition} "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
    execute_process(COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${definition}
                            --output-delaylib ${library} --dllname ${dll}.dll
                    COMMAND_ERROR_IS_FATAL ANY)
    list(APPEND libraries ${library})
  endforeach()
  set(${out} ${libraries} PARENT_SCOPE)
endfunction()
