# The portable core's sources, shared by the Linux build and the Windows
# cross build so both compile the same files. ROOT is the project root.
file(GLOB VELLUMINE_CORE_SOURCES CONFIGURE_DEPENDS
  ${ROOT}/src/page/*.cpp ${ROOT}/src/model/*.cpp ${ROOT}/src/control/*.cpp ${ROOT}/src/store/*.cpp
  ${ROOT}/src/wallpaper/*.cpp ${ROOT}/src/organiser/*.cpp ${ROOT}/src/links/*.cpp
  ${ROOT}/src/platform/platform.cpp ${ROOT}/src/platform/scripted_platform.cpp
  ${ROOT}/src/platform/faulty_platform.cpp
  ${ROOT}/src/platform/memory_platform.cpp)
list(FILTER VELLUMINE_CORE_SOURCES EXCLUDE REGEX "_test\\.cpp$")
