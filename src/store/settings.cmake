# Preferences, user settings, keychain, device identity and pipeline stages.
find_package(ICU REQUIRED COMPONENTS uc)
# Static libraries carry ICU::uc to whoever links them (the tests live in
# another folder), so the imported target must be visible everywhere.
get_target_property(_quillmere_icu_global ICU::uc IMPORTED_GLOBAL)
if(NOT _quillmere_icu_global)
  set_target_properties(ICU::uc PROPERTIES IMPORTED_GLOBAL TRUE)
endif()

add_library(quillmere_settings
  ${CMAKE_CURRENT_LIST_DIR}/user_defaults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_enums.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app_settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keychain_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_identity.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pipeline_manager.cpp
)
target_include_directories(quillmere_settings PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(quillmere_settings
  PUBLIC quillmere_common
  PRIVATE nlohmann_json::nlohmann_json ICU::uc)
