# The printer models, by the name each one's driver files are built under
# (TR722.dll, TR722UI.dll, target suffix _TR722), with the model's own name
# beside it. The code picks a model's profile by VLP_MODEL_<model name>.
# Every folder that builds something once per model loops over VLP_MODELS.
set(VLP_MODELS TR722 KV830)
set(VLP_MODEL_NAME_TR722 TR7208)
set(VLP_MODEL_NAME_KV830 KV830)

foreach(model IN LISTS VLP_MODELS)
  if(NOT DEFINED VLP_MODEL_NAME_${model})
    message(FATAL_ERROR "model ${model} has no VLP_MODEL_NAME_${model}")
  endif()
  set(VLP_MODEL_DEFINE_${model} VLP_MODEL_${VLP_MODEL_NAME_${model}})
endforeach()

# Run as a script (cmake -P cmake/Models.cmake), it prints one line per
# model, the build name and the model's name, for the shell scripts that
# run or check what each model's build made.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  foreach(model IN LISTS VLP_MODELS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${model} ${VLP_MODEL_NAME_${model}}")
  endforeach()
endif()
