# The stub's languages, TALVOK_LANGUAGES of the top-level CMakeLists.txt.
# For each: the stub's message texts, for measuring the author's texts
# against the messages they go into, and its compressed blobs, by which
# "tvsfx info" knows an installer's language and "tvsfx verify" finds the
# tables to unpack. resgen, a host tool, is compiled here with the build
# machine's own compiler (also in the Windows tree) and run at build time.
# Adds the table and its generated texts and blobs to target.
function(talvok_stub_language_table target)
  set(builder_resgen ${CMAKE_CURRENT_BINARY_DIR}/host/resgen)
  add_custom_command(OUTPUT ${builder_resgen}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/host
    COMMAND c++ -O2 -std=c++17 -I${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tools/resgen/resgen.cpp
            -o ${builder_resgen} -ldeflate
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/resgen/resgen.cpp ${PROJECT_SOURCE_DIR}/src/portable/message_table_layout.h
    COMMENT "Building the host tool resgen for the builder")
  set(language_entries "")
  set(language_declarations "")
  foreach(language ${TALVOK_LANGUAGES})
    set(texts ${PROJECT_SOURCE_DIR}/resources/${language})
    set(message_texts_cpp ${CMAKE_CURRENT_BINARY_DIR}/message_texts_${language}.cpp)
    set(message_blobs_cpp ${CMAKE_CURRENT_BINARY_DIR}/message_blobs_${language}.cpp)
    # Spanish's texts keep the name MessageTexts (message_fit.h).
    if(language STREQUAL es)
      set(texts_name MessageTexts)
    else()
      set(texts_name MessageTexts_${language})
    endif()
    add_custom_command(OUTPUT ${message_texts_cpp}
      COMMAND ${builder_resgen} --texts ${texts}/messages.txt ${message_texts_cpp} ${texts_name}
      DEPENDS ${builder_resgen} ${texts}/messages.txt
      COMMENT "The stub's ${language} message texts for the builder")
    add_custom_command(OUTPUT ${message_blobs_cpp}
      COMMAND ${builder_resgen} ${texts}/messages.txt ${texts}/main_dialog.dlg ${texts}/password_dialog.dlg
              ${message_blobs_cpp} stub_${language}
      DEPENDS ${builder_resgen} ${texts}/messages.txt ${texts}/main_dialog.dlg ${texts}/password_dialog.dlg
      COMMENT "The stub's ${language} blobs for the builder")
    target_sources(${target} PRIVATE ${message_texts_cpp} ${message_blobs_cpp})
    string(APPEND language_declarations
      "extern const char *const ${texts_name}[64];\n"
      "namespace stub_${language} {\nextern const uint8_t MessageBlob[];\nextern const uint32_t MessageBlobBytes;\n"
      "extern const uint32_t MessageOffsets[65];\nextern const uint8_t PasswordDialogBlob[];\n"
      "extern const uint32_t PasswordDialogBlobBytes;\n}\n")
    string(APPEND language_entries
      "    {\"${language}\", ${texts_name}, stub_${language}::MessageBlob, stub_${language}::MessageBlobBytes,\n"
      "     stub_${language}::MessageOffsets, stub_${language}::PasswordDialogBlob, stub_${language}::PasswordDialogBlobBytes},\n")
  endforeach()
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/stub_language_table.cpp CONTENT
    "// Made by builder/CMakeLists.txt from its list of languages; not edited by hand.\n#include \"stub_language.h\"\n\n@language_declarations@\nconst StubLanguage StubLanguages[] = {\n@language_entries@};\nconst size_t StubLanguageCount = sizeof StubLanguages / sizeof StubLanguages[0];\n")
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/stub_language_table.cpp)
endfunction()
