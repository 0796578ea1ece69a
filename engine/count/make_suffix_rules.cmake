# Writes a C++ source holding the rules of a Public Suffix List file, for
# the built-in lookup (suffix_rules.h) of builds without libpsl. Run as
#   cmake -DLIST=<public_suffix_list.dat> -DOUTPUT=<file.cpp> -P make_suffix_rules.cmake
# Each rule is the first word of a line that is neither blank nor a "//"
# comment; the ICANN and private sections are both kept, as libpsl keeps
# them. The rules go out one line each, in one string.
if(NOT DEFINED LIST OR NOT DEFINED OUTPUT)
    message(FATAL_ERROR "make_suffix_rules.cmake needs LIST and OUTPUT")
endif()
# Only lines that begin with a rule: comments may hold ";" and "[", which
# would split or join the list's items.
file(STRINGS "${LIST}" lines ENCODING UTF-8 REGEX "^[^/ \t\r]")
set(body "")
set(count 0)
foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^//")
        continue()
    endif()
    string(REGEX REPLACE "[ \t].*$" "" rule "${line}")
    string(APPEND body "    \"${rule}\\n\"\n")
    math(EXPR count "${count} + 1")
endforeach()
if(count EQUAL 0)
    message(FATAL_ERROR "${LIST} holds no public suffix rule")
endif()
file(WRITE "${OUTPUT}.tmp"
"// Generated from the Public Suffix List at build time; do not edit.\n"
"#include <string_view>\n\n"
"namespace plexor::detail\n{\n"
"    extern const std::string_view kBuiltinSuffixRules;\n"
"    const std::string_view kBuiltinSuffixRules =\n${body}    ;\n}\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
