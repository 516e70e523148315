# kw_jet_write: changes Access database files, all or nothing (the pager and its file seam, the
# rows and usage maps written).
add_library(kw_jet_write STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FileSystem_${KW_PLATFORM}.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Pager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataPage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RowFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IndexWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Writer.cpp
)
target_link_libraries(kw_jet_write PUBLIC kw_jet)

add_library(kw_jet_write_testsupport STATIC ${CMAKE_CURRENT_LIST_DIR}/FaultyFileSystem.cpp)
target_link_libraries(kw_jet_write_testsupport PUBLIC kw_jet_write)

kw_add_test(jet_pager_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/Pager_test.cpp
  LIBS kw_jet_write_testsupport)

kw_add_test(jet_writer_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/Writer_test.cpp
  LIBS kw_jet_write_testsupport)
target_compile_definitions(jet_writer_test PRIVATE
  KW_JET_TESTDATA="${CMAKE_CURRENT_LIST_DIR}/testdata"
  KW_CATALOGUE_FILE="${PROJECT_SOURCE_DIR}/payload/catalogue.tsv")

# The written files read row for row as mdb-export and mdb-reader read them.
add_test(NAME jet_writer_differential
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/written-differential.sh $<TARGET_FILE:jet_writer_test>
          $<TARGET_FILE:kwastor-jet> ${CMAKE_BINARY_DIR}/jet-node ${CMAKE_BINARY_DIR}/jet-written)
set_tests_properties(jet_writer_differential PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)

kw_add_test(jet_index_writer_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/IndexWriter_test.cpp
  LIBS kw_jet_write)
