# The languages table, lang/languages.txt, read once: the programs get it as a header made from
# it, the Windows packaging and the tests as the list of Qt translations to carry.
#   PORTEVAL_QT_TRANSLATIONS  Qt's translation names of the languages that have one
#   PORTEVAL_LANGUAGE_ROWS    the table as C++ initialisers, for texts/language_list.h.in
#   PORTEVAL_LANGUAGE_MAN     the languages as the window's manual page lists them
set(PORTEVAL_LANGUAGES_FILE "${PROJECT_SOURCE_DIR}/lang/languages.txt")
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${PORTEVAL_LANGUAGES_FILE}")
file(STRINGS "${PORTEVAL_LANGUAGES_FILE}" porteval_language_lines ENCODING UTF-8 REGEX "^[0-9]")
set(PORTEVAL_QT_TRANSLATIONS)
set(PORTEVAL_LANGUAGE_ROWS)
set(PORTEVAL_LANGUAGE_MAN)
foreach(line IN LISTS porteval_language_lines)
    string(REGEX MATCH "^([0-9]+) +([a-z]+) +([A-Za-z_-]+) +([A-Za-z]+) +(.+)$" row "${line}")
    if(NOT row)
        message(FATAL_ERROR "${PORTEVAL_LANGUAGES_FILE}: not a language: ${line}")
    endif()
    set(qt "${CMAKE_MATCH_3}")
    if(qt STREQUAL "-")
        set(qt "")
    else()
        list(APPEND PORTEVAL_QT_TRANSLATIONS "${qt}")
    endif()
    string(APPEND PORTEVAL_LANGUAGE_MAN
           ".TP\n.B ${CMAKE_MATCH_4}\nthe language file MisI0${CMAKE_MATCH_1}.dat\n")
    string(APPEND PORTEVAL_LANGUAGE_ROWS
           "    { ${CMAKE_MATCH_1}, \"${CMAKE_MATCH_2}\", \"${qt}\", \"${CMAKE_MATCH_4}\", "
           "u\"${CMAKE_MATCH_5}\" },\n")
endforeach()
