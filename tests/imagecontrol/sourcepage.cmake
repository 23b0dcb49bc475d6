vantrel_test(SourceImagePageTests LABEL gui QTEST
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sourcepage_test.cpp
  LIBS vantrel_image_control
  RESOURCE_LOCK clipboard)

vantrel_test(DesignerToolTests LABEL gui QTEST
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/designer_test.cpp
  LIBS vantrel_designer vantrel_platform)
add_dependencies(DesignerToolTests vantrel-designer)
