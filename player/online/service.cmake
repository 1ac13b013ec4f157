# The service client: URL fetcher, version and advertisement calls, public address and adapter
# address, the service's host names.
set(HALVERY_SERVICE_PURE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ServiceAnswers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ServiceUrls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WanAddress.cpp)
if(HALVERY_NATIVE)
  add_library(halvery_online_service_pure STATIC ${HALVERY_SERVICE_PURE_SOURCES})
  target_link_libraries(halvery_online_service_pure PUBLIC halvery_options)
else()
  add_library(halvery_online_service STATIC
    ${HALVERY_SERVICE_PURE_SOURCES}
    ${CMAKE_CURRENT_LIST_DIR}/InternetSession.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ServiceClient.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ServiceHosts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UrlFetcher.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WanInfo.cpp)
  target_link_libraries(halvery_online_service PUBLIC halvery_online_xml halvery_common wininet iphlpapi ws2_32)
endif()
