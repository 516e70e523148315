# kw_jet_write: changes Access database files, all or nothing (the pager and its file seam).
add_library(kw_jet_write STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FileSystem_${KW_PLATFORM}.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Pager.cpp
)
target_link_libraries(kw_jet_write PUBLIC kw_jet)

add_library(kw_jet_write_testsupport STATIC ${CMAKE_CURRENT_LIST_DIR}/FaultyFileSystem.cpp)
target_link_libraries(kw_jet_write_testsupport PUBLIC kw_jet_write)

kw_add_test(jet_pager_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/Pager_test.cpp
  LIBS kw_jet_write_testsupport)
