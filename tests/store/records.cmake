quillmere_add_test(store_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/store_round_trip_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_delete_rules_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/contact_computed_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_creation_test.cpp
  LIBS quillmere_store)
