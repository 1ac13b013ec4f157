# The skin manager. The image-name rule is window-free and also builds natively.
if(HALVERY_NATIVE)
  add_library(halvery_ui_skin_name STATIC ${CMAKE_CURRENT_LIST_DIR}/SkinImageName.cpp)
  target_link_libraries(halvery_ui_skin_name PUBLIC halvery_options)
else()
  add_library(halvery_ui_skin STATIC
    ${CMAKE_CURRENT_LIST_DIR}/SkinImageName.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinMgr.cpp)
  target_link_libraries(halvery_ui_skin PUBLIC halvery_library_db halvery_online_xml halvery_common gdiplus)
endif()
