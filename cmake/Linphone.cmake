# Debian's linphone.pc is broken (empty Libs line), and LinphoneConfig.cmake blanks the link
# interface of its target: find the headers, then link the four libraries by name.
find_path(LINPHONE_INCLUDE_DIR linphone/core.h REQUIRED)
find_library(LINPHONE_LIBRARY linphone REQUIRED)
find_library(MEDIASTREAMER_LIBRARY mediastreamer REQUIRED)
find_library(ORTP_LIBRARY ortp REQUIRED)
find_library(BCTOOLBOX_LIBRARY bctoolbox REQUIRED)

add_library(linphone_sdk INTERFACE)
target_include_directories(linphone_sdk SYSTEM INTERFACE ${LINPHONE_INCLUDE_DIR})
target_link_libraries(linphone_sdk INTERFACE
    ${LINPHONE_LIBRARY} ${MEDIASTREAMER_LIBRARY} ${ORTP_LIBRARY} ${BCTOOLBOX_LIBRARY})
