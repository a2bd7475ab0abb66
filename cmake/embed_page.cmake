# Writes OUT, a C++ source holding every file of the editor page in DIR with
# its content type, for the player to serve from itself. Names are relative
# to DIR, so no path of the machine that built it ends up in the program.
#   cmake -DDIR=web/editor -DOUT=editor_page_files.cpp -P embed_page.cmake
get_filename_component(DIR "${DIR}" ABSOLUTE)
file(GLOB_RECURSE names RELATIVE "${DIR}" "${DIR}/*")
list(SORT names)
set(arrays "")
set(table "")
set(count 0)
foreach(name IN LISTS names)
  if(name MATCHES "(^|/)\\.")
    continue()  # hidden files are never served
  endif()
  string(REGEX MATCH "\\.[A-Za-z0-9]+$" extension "${name}")
  string(TOLOWER "${extension}" extension)
  if(extension STREQUAL ".html")
    set(type "text/html; charset=utf-8")
  elseif(extension STREQUAL ".js" OR extension STREQUAL ".mjs")
    set(type "text/javascript; charset=utf-8")
  elseif(extension STREQUAL ".css")
    set(type "text/css; charset=utf-8")
  elseif(extension STREQUAL ".json")
    set(type "application/json")
  elseif(extension STREQUAL ".png")
    set(type "image/png")
  elseif(extension STREQUAL ".svg")
    set(type "image/svg+xml")
  elseif(extension STREQUAL ".ico")
    set(type "image/x-icon")
  elseif(extension STREQUAL ".woff2")
    set(type "font/woff2")
  else()
    continue()  # not a kind of file the page uses
  endif()
  file(READ "${DIR}/${name}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "static const unsigned char kFile${count}[] = {${bytes}0};\n")
  string(APPEND table "    {\"${name}\", \"${type}\", kFile${count}, ${size}},\n")
  math(EXPR count "${count} + 1")
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "embed_page.cmake: no page files in ${DIR}")
endif()
file(WRITE "${OUT}.new"
  "// Generated at build time from the editor page's folder; not checked in.\n"
  "#include \"editor/page_files.h\"\n\nnamespace {\n${arrays}}  // namespace\n\n"
  "const EmbeddedPageFile kEmbeddedPageFiles[] = {\n${table}};\n"
  "const size_t kEmbeddedPageFileCount = ${count};\n")
file(RENAME "${OUT}.new" "${OUT}")
