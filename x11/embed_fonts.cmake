# Writes a C++ file that holds the two font files' bytes unchanged:
#   cmake -DOUTPUT=file.cpp -DBOLD=bold.ttf -DBLACK=black.ttf -P embed_fonts.cmake
function(tintora_embed variable path out)
  file(READ ${path} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR bytes "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
  # Lines of 16 bytes keep the file readable for tools.
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" body "${body}")
  set(${out} "const unsigned char ${variable}Data[] = {\n${body}\n};\nconst std::size_t ${variable}Size = ${bytes};\n" PARENT_SCOPE)
endfunction()

tintora_embed(kBoldFace ${BOLD} bold)
tintora_embed(kBlackFace ${BLACK} black)
file(WRITE ${OUTPUT}.tmp "// Generated from resources/fonts by x11/embed_fonts.cmake.\n#include <cstddef>\n\nnamespace tintora {\n\nextern const unsigned char kBoldFaceData[];\nextern const std::size_t kBoldFaceSize;\nextern const unsigned char kBlackFaceData[];\nextern const std::size_t kBlackFaceSize;\n\n${bold}\n${black}\n}  // namespace tintora\n")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
