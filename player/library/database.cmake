# The music database: the SQLite wrapper, the settings record and the database access object.
if(NOT HALVERY_NATIVE)
  add_library(halvery_library_db STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CppSQLite3.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Config.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MusicListDB.cpp)
  # imagehlp: MakeSureDirectoryPathExists, which creates the music folder.
  target_link_libraries(halvery_library_db PUBLIC halvery_common sqlite3 imagehlp)
endif()
