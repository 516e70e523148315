# The payload's file half: the container and the access to it, measuring the payload and
# writing its files; the demo media and the container that the program file carries.

# CRC-32 with the processor's carry-less multiplication where there is one.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(KW_CRC32 x86_64)
else()
  set(KW_CRC32 generic)
endif()

add_library(kw_resources STATIC
  Container.cpp
  Crc32_${KW_CRC32}.cpp
  ZlibCrc32.cpp
  Resources.cpp
  ProgramFile_${KW_PLATFORM}.cpp
  Catalogue.cpp
)
find_package(ZLIB REQUIRED)
target_link_libraries(kw_resources PUBLIC kw_sys PRIVATE ZLIB::ZLIB)

add_library(kw_payload_files STATIC
  Failures.cpp
  PayloadSize.cpp
  FileInstallation.cpp
)
target_link_libraries(kw_payload_files PUBLIC kw_resources kw_log)

# The media: the stand-ins that make-media generates from the catalogue, kept in a folder that
# a second build tree (the sanitizer build) can share, and made again only when the catalogue
# or the generator's sources change.
set(KWASTOR_MEDIA_DIR "${CMAKE_BINARY_DIR}/media" CACHE PATH
    "Folder of the payload's media, laid out as an installation's media folders")
option(KWASTOR_GENERATE_MEDIA
       "Generate stand-in media into KWASTOR_MEDIA_DIR (OFF: it holds the publisher's media)" ON)
set(KW_CATALOGUE_FILE "${PROJECT_SOURCE_DIR}/payload/catalogue.tsv" CACHE INTERNAL "")
set(KW_PAYLOAD_FILE "${CMAKE_BINARY_DIR}/payload/kwastor-payload.zip" CACHE INTERNAL "")
set(media_stamp "${CMAKE_BINARY_DIR}/payload/media.stamp")
if(KWASTOR_GENERATE_MEDIA)
  file(GLOB media_sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tools/make-media/*.cpp"
       "${PROJECT_SOURCE_DIR}/tools/make-media/*.h")
  list(FILTER media_sources EXCLUDE REGEX "_test\\.cpp$")
  add_custom_command(OUTPUT ${media_stamp}
    COMMAND ${CMAKE_COMMAND} -DMAKE_MEDIA=$<TARGET_FILE:make-media>
            -DCATALOGUE=${KW_CATALOGUE_FILE} -DMEDIA_DIR=${KWASTOR_MEDIA_DIR}
            -DSTAMP=${media_stamp} "-DSOURCES=${media_sources}"
            -P ${CMAKE_CURRENT_SOURCE_DIR}/MakeMedia.cmake
    DEPENDS make-media ${KW_CATALOGUE_FILE} ${media_sources}
            ${CMAKE_CURRENT_SOURCE_DIR}/MakeMedia.cmake
    COMMENT "Making the demo media in ${KWASTOR_MEDIA_DIR}" VERBATIM)
else()
  add_custom_command(OUTPUT ${media_stamp}
    COMMAND ${CMAKE_COMMAND} -E touch ${media_stamp}
    DEPENDS ${KW_CATALOGUE_FILE} VERBATIM)
endif()
add_custom_command(OUTPUT ${KW_PAYLOAD_FILE}
  COMMAND pack-payload pack ${KW_CATALOGUE_FILE} ${KWASTOR_MEDIA_DIR} ${KW_PAYLOAD_FILE}
  DEPENDS pack-payload ${KW_CATALOGUE_FILE} ${media_stamp}
  COMMENT "Packing the payload" VERBATIM)
add_custom_target(kw_payload_container ALL DEPENDS ${KW_PAYLOAD_FILE})

# Puts the payload at the end of an executable target's file, after every link.
function(kw_embed_payload target)
  add_dependencies(${target} kw_payload_container)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KW_PAYLOAD_FILE})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND pack-payload append $<TARGET_FILE:${target}> ${KW_PAYLOAD_FILE}
    COMMENT "Putting the payload into ${target}" VERBATIM)
endfunction()

kw_add_test(payload_files_test
  SOURCES Container_test.cpp Resources_test.cpp PayloadSize_test.cpp FileInstallation_test.cpp
          PayloadTestSupport.cpp
  LIBS kw_payload_files ZLIB::ZLIB)
target_compile_definitions(payload_files_test PRIVATE KW_DEMO_PAYLOAD="${KW_PAYLOAD_FILE}")
add_dependencies(payload_files_test kw_payload_container)

# The payload read from the test program's own file, as the program reads it.
kw_add_test(payload_embedded_test
  SOURCES Embedded_test.cpp PayloadTestSupport.cpp
  LIBS kw_payload_files)
target_compile_definitions(payload_embedded_test PRIVATE KW_DEMO_PAYLOAD="${KW_PAYLOAD_FILE}")
kw_embed_payload(payload_embedded_test)
