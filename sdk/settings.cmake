# The settings units of the SDK: the JSON value tree, its reader and writer,
# the settings file and the option calls.
list(APPEND kv_sdk_sources
  ${CMAKE_CURRENT_SOURCE_DIR}/settings/JSONValue.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/settings/JSON.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/settings/HalvSDKShared.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/settings/HalvConfigOptions.cpp)
