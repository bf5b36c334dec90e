# Two builds of one commit give the same bytes, whatever folder they are made in and whenever:
# the linker leaves the PE header's time stamp at zero, and no build or source folder reaches
# anything compiled (__FILE__, debug information). GCC takes __DATE__ and __TIME__ from
# SOURCE_DATE_EPOCH by itself; windres embeds only the resources' contents.
add_link_options(-Wl,--no-insert-timestamp)
# The build folder may lie inside the source folder: the map given last is tried first.
add_compile_options(
  $<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>
  $<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>)
