# Properties, loading, persistence and drawn sizes of the alpha image control.
vantrel_test(ImageControlPropertiesTests LABEL gui QT_MAIN
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/properties_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/properties_load_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/persistence_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scales_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/props_pictures.h
  LIBS vantrel_image_control vantrel_platform Qt6::Test
  RESOURCE_LOCK clipboard)
# A picture compiled into the test program, for LoadImage_FromResource.
qt_add_resources(ImageControlPropertiesTests imagecontrol_pictures
  PREFIX /imagecontrol
  BASE ${PROJECT_SOURCE_DIR}/tests/data/pngsuite
  FILES ${PROJECT_SOURCE_DIR}/tests/data/pngsuite/basn6a08.png)
