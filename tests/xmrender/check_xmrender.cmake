# Runs xmrender the ways a user would and checks the files and messages it gives.
include(${TOOLS_CHECKS}/run_tool.cmake)

function(expect_wav path frames)
  file(SIZE ${path} size)
  math(EXPR expected "44 + ${frames} * 4")
  if(NOT size EQUAL expected)
    message(FATAL_ERROR "${path}: ${size} bytes, expected ${expected}")
  endif()
  file(READ ${path} header LIMIT 44 HEX)
  math(EXPR data "${frames} * 4")
  math(EXPR riff "${data} + 36")
  foreach(value riff data)
    math(EXPR ${value} "${${value}}" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "^0x" "" ${value} "${${value}}")
    string(LENGTH "${${value}}" digits)
    while(digits LESS 8)
      set(${value} "0${${value}}")
      math(EXPR digits "${digits} + 1")
    endwhile()
    string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" ${value} "${${value}}")
  endforeach()
  # RIFF, WAVE, fmt  of 16 bytes: PCM, 2 channels, 48000 Hz, 192000 bytes/s, 4, 16 bits; data
  set(want "52494646${riff}57415645666d7420100000000100020080bb000000ee02000400100064617461${data}")
  if(NOT header STREQUAL want)
    message(FATAL_ERROR "${path}: header ${header}, expected ${want}")
  endif()
endfunction()

run(0 ${XMRENDER} --seconds 1.5 --builtin ${OUT}/builtin.wav)
expect("${err}" "title: Lanterns on the Wire\nchannels: 4\nduration: 1.500 s \\(72000 frames\\)")
expect_wav(${OUT}/builtin.wav 72000)

execute_process(COMMAND ${XMRENDER} --seconds 0.25 --volume 64 --builtin -
                OUTPUT_FILE ${OUT}/stdout.wav RESULT_VARIABLE code ERROR_QUIET)
expect("${code}" "^0$")
expect_wav(${OUT}/stdout.wav 12000)

# Once through with the no-loop end: whole blocks only, up to the block of the song's end.
run(0 ${XMRENDER} ${ROBUSTNESS}/test.xm ${OUT}/once.wav)
expect("${err}" "duration: [0-9.]+ s \\(([0-9]+) frames\\), at the song's end\n")
string(REGEX MATCH "\\(([0-9]+) frames" frames "${err}")
math(EXPR remainder "${CMAKE_MATCH_1} % 1024")
if(NOT remainder EQUAL 0 OR CMAKE_MATCH_1 EQUAL 0)
  message(FATAL_ERROR "once through gave ${CMAKE_MATCH_1} frames")
endif()
expect_wav(${OUT}/once.wav ${CMAKE_MATCH_1})

# Once through a song whose only order breaks back to its start: it ends, sample-exact, at the
# first tick of the row where it starts to repeat; --seconds still renders exactly that long.
run(0 ${XMRENDER} ${ROBUSTNESS}/ft2_k00_defaults.xm ${OUT}/repeat.wav)
expect("${err}" "duration: 0.960 s \\(46080 frames\\), where the song starts to repeat\n$")
expect_wav(${OUT}/repeat.wav 46080)
run(0 ${XMRENDER} --seconds 2.5 ${ROBUSTNESS}/ft2_k00_defaults.xm ${OUT}/seconds.wav)
expect("${err}" "duration: 2.500 s \\(120000 frames\\)\n$")
expect_wav(${OUT}/seconds.wav 120000)

run(1 ${XMRENDER} ${ROBUSTNESS}/f_load_xm_zero_samples.xm ${OUT}/bad.wav)
expect("${err}" "^xmrender: [^\n]*f_load_xm_zero_samples.xm: not a module the player loads: [^\n]+\n$")
run(1 ${XMRENDER} ${OUT}/no-such-file.xm ${OUT}/bad.wav)
expect("${err}" "^xmrender: [^\n]*no-such-file.xm: cannot be read: No such file or directory\n$")
run(1 ${XMRENDER} --builtin ${OUT}/no-such-dir/out.wav)
expect("${err}" "xmrender: [^\n]*out.wav: cannot be written: No such file or directory\n$")
