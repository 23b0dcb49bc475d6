# Painting, hit testing, input, fades and the window link of the image control.
# Real windows on the test's X display: the tests run under xvfb-run.
vantrel_test(ImageControlPaintingTests LABEL gui QT_MAIN
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/painting_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/painting_support.h
  LIBS vantrel_image_control Qt6::Test)

vantrel_test(ImageControlInputTests LABEL gui QT_MAIN
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/hittest_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/input_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/painting_support.h
  LIBS vantrel_image_control Qt6::Test)

vantrel_test(ImageControlFadeTests LABEL gui QT_MAIN
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fade_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/painting_support.h
  LIBS vantrel_image_control Qt6::Test)
