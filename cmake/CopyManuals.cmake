# cmake -DFROM=FOLDER -DTO=FOLDER -P CopyManuals.cmake: copies both manuals
# when they changed, or says which build makes them.
foreach(lang EN CZ)
  set(pdf ${FROM}/W_tk7713t_${lang}.pdf)
  if(NOT EXISTS ${pdf})
    message(FATAL_ERROR "${pdf} is missing: the manuals come from a Linux build "
                        "(cmake --preset ci && cmake --build --preset ci --target tk7713t-manuals), "
                        "or set TK_MANUALS_DIR to a folder that holds them")
  endif()
  file(COPY_FILE ${pdf} ${TO}/W_tk7713t_${lang}.pdf ONLY_IF_DIFFERENT)
endforeach()
