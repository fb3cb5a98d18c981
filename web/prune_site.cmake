# Leaves in the site folder only the files the build put there, so that a
# renamed or dropped file of an earlier build does not linger in it.
#   cmake -DSITE=<folder> -DKEEP=<file;...> -P prune_site.cmake
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE present LIST_DIRECTORIES false "${SITE}/*")
foreach(f IN LISTS present)
  if(NOT f IN_LIST KEEP)
    file(REMOVE "${f}")
    message(STATUS "Removed ${f} from the site: no build step makes it")
  endif()
endforeach()
