# Start-up and the main window: the geometry rules (window-free, also built natively), the
# library with everything but the entry point, and the program Halvery.exe.
add_library(halvery_app_layout STATIC ${CMAKE_CURRENT_LIST_DIR}/MainLayout.cpp)
target_link_libraries(halvery_app_layout PUBLIC halvery_options)

if(NOT HALVERY_NATIVE)
  enable_language(RC)
  file(GLOB HALVERY_APP_STANDIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/standin/*.cpp)
  add_library(halvery_app STATIC
    ${CMAKE_CURRENT_LIST_DIR}/QuenbyApp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/QuenbyDlg.cpp
    ${HALVERY_APP_STANDIN_SOURCES})
  target_link_libraries(halvery_app PUBLIC
    halvery_app_layout halvery_ui_skin halvery_library_db halvery_online_service halvery_playback_engine
    halvery_common halvery_platform)

  add_executable(Halvery WIN32 ${CMAKE_CURRENT_LIST_DIR}/Main.cpp ${CMAKE_CURRENT_LIST_DIR}/res/Halvery.rc)
  target_compile_options(Halvery PRIVATE -municode)
  target_link_options(Halvery PRIVATE -municode)
  target_include_directories(Halvery PRIVATE ${CMAKE_CURRENT_LIST_DIR}/res)
  target_link_libraries(Halvery PRIVATE halvery_app)
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/res/Halvery.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_CURRENT_LIST_DIR}/res/resource.h;${CMAKE_CURRENT_LIST_DIR}/res/Halvery.ico;${CMAKE_CURRENT_LIST_DIR}/res/scrollbar149.bmp;${CMAKE_CURRENT_LIST_DIR}/res/Halvery.manifest")
endif()
