# The command lines of xminfo, xmcompact and xmrender: help, version, unknown options and bad
# values, "-" for standard input and output, input that cannot be read, and what they say about a
# module cut short and one whose trimmed tail its song does not use.
include(${CMAKE_CURRENT_LIST_DIR}/run_tool.cmake)
set(work ${OUT}/command-lines)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
set(song ${ROBUSTNESS}/ft2_kxx.xm)

foreach(tool ${XMINFO} ${XMCOMPACT} ${XMRENDER})
  foreach(help --help -h)
    run(0 ${tool} ${help})
    expect("${out}" "^Usage: xm[a-z]+ .*Exit status: ")
  endforeach()
  run(0 ${tool} --version)
  expect("${out}" "^xm[a-z]+ \\(linkmend\\) [0-9.]+\n$")
  run(2 ${tool} --loud ${song})
  expect("${err}" "^xm[a-z]+: unknown option '--loud'\nTry 'xm[a-z]+ --help' for more information\\.\n$")
endforeach()
run(2 ${XMINFO})
run(2 ${XMCOMPACT} --expand ${song})
expect("${err}" "^xmcompact: no OUT given\n")
foreach(volume 65 100 -1 1.5 loud)
  run(2 ${XMRENDER} --volume ${volume} --builtin ${work}/v.wav)
  expect("${err}" "^xmrender: --volume '${volume}': not a whole number from 0 to 64\n")
endforeach()
foreach(seconds 0 -3 21601 abc)
  run(2 ${XMRENDER} --seconds=${seconds} --builtin ${work}/v.wav)
  expect("${err}" "^xmrender: --seconds '${seconds}': not a number of seconds above 0 and at most 21600\n")
endforeach()
run(2 ${XMRENDER} --builtin)
expect("${err}" "^xmrender: no OUT.wav given\n")

# "-" is standard input and standard output alike; "--" ends the options.
execute_process(COMMAND ${XMCOMPACT} - - INPUT_FILE ${song} OUTPUT_FILE ${work}/piped.xmc
                RESULT_VARIABLE code)
expect("${code}" "^0$")
execute_process(COMMAND ${XMINFO} -- - INPUT_FILE ${work}/piped.xmc OUTPUT_VARIABLE out
                RESULT_VARIABLE code)
expect("${code}" "^0$")
expect("${out}" "^-\n  title: \"Kxx misc, xx>speed  \"\n  layout: compacted\n")

# With both streams in one pipe, xminfo's lines stay in file order.
set(bad ${ROBUSTNESS}/f_load_xm_zero_samples.xm)
execute_process(COMMAND ${XMINFO} ${song} ${bad} ${song} OUTPUT_VARIABLE both ERROR_VARIABLE both)
expect("${both}" "^[^\n]*ft2_kxx.xm\n(  [^\n]*\n)+[^\n]*zero_samples.xm: not loaded[^\n]*\n[^\n]*ft2_kxx.xm\n")

# A module missing its last 716 bytes: listed, with what it lacks, and a failing status.
file(SIZE ${song} size)
math(EXPR kept "${size} - 716")
execute_process(COMMAND head -c ${kept} ${song} OUTPUT_FILE ${work}/cut.xm)
set(cut "cut short: the file ends at least 186 bytes before its module does; lost from instrument 5 on: 2 instrument headers, 1 sample's data")
run(1 ${XMINFO} ${work}/cut.xm)
expect("${out}" "instruments: 6\n")
expect("${err}" "cut.xm: ${cut}")
run(1 ${XMCOMPACT} ${work}/cut.xm ${work}/cut.xmc)
expect("${err}" "^xmcompact: [^\n]*cut.xm: ${cut}")
run(0 ${XMRENDER} --seconds 0.1 ${work}/cut.xm ${work}/cut.wav)
expect("${err}" "^xmrender: [^\n]*cut.xm: warning: ${cut}")

# A module whose file stops inside instruments no cell names lacks nothing its song uses: listed
# with a note and exit status 0, rendered without a warning, rewritten in both layouts.
execute_process(COMMAND ${MODULES} ${work} RESULT_VARIABLE code)
expect("${code}" "^0$")
set(trimmed ${work}/tail-trimmed.xm)
run(0 ${XMINFO} ${trimmed})
expect("${out}" "\n  samples: 9 [^\n]*\n.*\n  note: the file stops inside instrument 3 of 5; no pattern names it or any instrument after it, so the song misses nothing\n$")
expect("${err}" "^$")
run(0 ${XMRENDER} --seconds 0.1 ${trimmed} ${work}/trimmed.wav)
expect("${err}" "^title: every feature\n")
run(0 ${XMCOMPACT} ${trimmed} ${work}/trimmed.xmc)
run(0 ${XMCOMPACT} --expand ${trimmed} ${work}/trimmed-expanded.xm)
expect("${err}" "^$")
foreach(rewritten trimmed.xmc trimmed-expanded.xm)
  run(0 ${XMINFO} ${work}/${rewritten})
  expect("${out}" "instruments: 5\n  samples: 9 [^\n]*\n[^\n]*\n[^\n]*\n$")
endforeach()

# Input that cannot be read is named as such, with the system's reason.
run(1 ${XMINFO} ${work})
expect("${err}" "^xminfo: [^\n]*command-lines: cannot be read: Is a directory\n$")
foreach(tool ${XMCOMPACT} ${XMRENDER})
  run(1 ${tool} ${work} ${work}/from-a-directory)
  expect("${err}" "^xm[a-z]+: [^\n]*command-lines: cannot be read: Is a directory\n$")
endforeach()
