# embed.cmake - writes OUT, a C++ source defining page_assets() with the
# page's files as raw string literals. Run as
#   cmake -DOUT=... -DDIR=... -P embed.cmake
# The page is served as written: no build step besides this copy.
# name|path|type; every type is sent with "; charset=utf-8".
set(files "index.html|/|text/html" "view.js|/view.js|text/javascript" "view_api.js|/view_api.js|text/javascript"
          "view_draw.js|/view_draw.js|text/javascript" "view.css|/view.css|text/css")
set(body "// Generated from src/view/page by embed.cmake: edit the page's files, not this.\n")
string(APPEND body "#include \"view/page_assets.hpp\"\n\nnamespace binscope {\nnamespace {\n")
set(entries "")
set(index 0)
foreach(entry IN LISTS files)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 path)
  list(GET parts 2 type)
  file(READ "${DIR}/${name}" text)
  string(FIND "${text}" ")page\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${name} holds the raw-string end )page\"")
  endif()
  string(APPEND body "constexpr char asset_${index}[] = R\"page(${text})page\";\n")
  string(APPEND entries "    PageAsset{\"${path}\", \"${type}; charset=utf-8\", {asset_${index}, sizeof asset_${index} - 1}},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "constexpr PageAsset assets[] = {\n${entries}};\n}  // namespace\n\n")
string(APPEND body "std::span<const PageAsset> page_assets() { return assets; }\n\n}  // namespace binscope\n")
file(WRITE "${OUT}.tmp" "${body}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
