add_library(quillmere_store
  event.cpp
  contact.cpp
  records.cpp
  schema.cpp
  store.cpp
  relationships.cpp
  note_authoring.cpp
)
target_include_directories(quillmere_store PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(quillmere_store
  PUBLIC quillmere_common quillmere_settings
  PRIVATE SQLite::SQLite3 nlohmann_json::nlohmann_json)
