# appui: the Qt side of the tool (platform/ui, the dialog templates in resources/,
# app/*_qt.cpp) and the tavrin-config executable. Only these link Qt.
file(GLOB appui_sources CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/platform/ui/*.cpp
  ${PROJECT_SOURCE_DIR}/resources/*.cpp
  ${PROJECT_SOURCE_DIR}/app/*_qt.cpp)
list(FILTER appui_sources EXCLUDE REGEX "/app/main_qt\\.cpp$")
add_library(appui STATIC ${appui_sources})
set_target_properties(appui PROPERTIES AUTOMOC ON)
target_include_directories(appui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(appui PUBLIC appcore qxapi protocol platform Qt6::Widgets Threads::Threads
                      PRIVATE tavrin_warnings)

add_executable(tavrin-config ${PROJECT_SOURCE_DIR}/app/main_qt.cpp)
target_link_libraries(tavrin-config PRIVATE appui tavrin_warnings)
