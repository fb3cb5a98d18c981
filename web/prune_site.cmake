# Leaves in the site folder only the files the build put there (and no empty
# folder), so that a renamed or dropped file of an earlier build does not
# linger in it.
#   cmake -DSITE=<folder> -DKEEP=<file;...> -P prune_site.cmake
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE present LIST_DIRECTORIES false "${SITE}/*")
foreach(f IN LISTS present)
  if(NOT f IN_LIST KEEP)
    file(REMOVE "${f}")
    message(STATUS "Removed ${f} from the site: no build step makes it")
  endif()
endforeach()
file(GLOB_RECURSE dirs LIST_DIRECTORIES true "${SITE}/*")
list(SORT dirs ORDER DESCENDING)  # the deepest first
foreach(d IN LISTS dirs)
  if(IS_DIRECTORY "${d}")
    file(GLOB inside "${d}/*")
    if(NOT inside)
      file(REMOVE_RECURSE "${d}")
    endif()
  endif()
endforeach()
