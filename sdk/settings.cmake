# The settings units of the SDK.
list(APPEND kv_sdk_sources
  ${CMAKE_CURRENT_SOURCE_DIR}/settings/HalvSDKShared.cpp)
