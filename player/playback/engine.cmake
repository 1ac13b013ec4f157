# The player engine: the stream buffer, the HTTP song download and the player that drives our audio
# player object. The URL, header and buffer arithmetic need no window and build natively too.
add_library(halvery_playback_pure STATIC
  ${CMAKE_CURRENT_LIST_DIR}/HttpParse.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StreamMath.cpp)
target_link_libraries(halvery_playback_pure PUBLIC halvery_options)

if(NOT HALVERY_NATIVE AND TARGET halvery_audio)
  add_library(halvery_playback_engine STATIC
    ${CMAKE_CURRENT_LIST_DIR}/TitleLabel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MusicBuffer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HttpDownloader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MusicPlayer.cpp)
  target_link_libraries(halvery_playback_engine PUBLIC halvery_playback_pure halvery_audio halvery_common ws2_32 winmm)
endif()
