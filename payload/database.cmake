# The payload's database half: the update and the change list, on top of the files half
# (catalogue access and failure reporting) and the database connection.
add_library(kw_payload_database STATIC DatabaseUpdate.cpp ChangeList.cpp)
target_link_libraries(kw_payload_database PUBLIC kw_payload_files kw_db)

# kw_payload is what the program links: both halves.
if(NOT TARGET kw_payload)
  add_library(kw_payload INTERFACE)
  target_link_libraries(kw_payload INTERFACE kw_payload_files)
endif()
target_link_libraries(kw_payload INTERFACE kw_payload_database)

kw_add_test(database_update_test
  SOURCES DatabaseUpdate_test.cpp ChangeList_test.cpp
  LIBS kw_payload_database kw_db_testsupport)
target_compile_definitions(database_update_test PRIVATE KW_DEMO_PAYLOAD="${KW_PAYLOAD_FILE}")
add_dependencies(database_update_test kw_payload_container)
