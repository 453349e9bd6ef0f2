# The built-in lessons, in the order of the course: each ID has ID.ja.md and ID.en.md here.
set(SINORA_LESSONS
  projections
  attenuation
  backprojection
  ramp-filters
  windows-cutoff
  sampling
  centre-of-rotation
  counts-noise
  osem
  real-study
  scatter
  spect-ct
)
set(SINORA_LESSON_FILES "")
foreach(id IN LISTS SINORA_LESSONS)
  list(APPEND SINORA_LESSON_FILES ${CMAKE_CURRENT_LIST_DIR}/${id}.ja.md ${CMAKE_CURRENT_LIST_DIR}/${id}.en.md)
endforeach()
