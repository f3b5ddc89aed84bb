quillmere_add_test(settings_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/user_defaults_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app_settings_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/keychain_store_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_identity_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pipeline_manager_test.cpp
  LIBS quillmere_settings nlohmann_json::nlohmann_json)
