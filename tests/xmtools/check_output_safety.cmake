# xmcompact and xmrender never destroy their input or an existing output: OUT that is IN under
# another name is refused, and a write that fails (a file size limit stands in for a full disk)
# leaves an existing OUT as it was, no partial file beside it, and the system's reason.
include(${CMAKE_CURRENT_LIST_DIR}/run_tool.cmake)
set(work ${OUT}/output-safety)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(COPY_FILE ${ROBUSTNESS}/ft2_kxx.xm ${work}/song.xm)
file(CREATE_LINK ${work}/song.xm ${work}/link.xm)
file(CREATE_LINK ${work}/song.xm ${work}/symlink.xm SYMBOLIC)
file(SHA256 ${work}/song.xm song)

foreach(target ${work}/song.xm ${work}/../output-safety/song.xm ${work}/link.xm
               ${work}/symlink.xm)
  run(1 ${XMCOMPACT} ${work}/song.xm ${target})
  expect("${err}" "is the same file as IN, which it would destroy")
  run(1 ${XMCOMPACT} --expand ${work}/song.xm ${target})
  run(1 ${XMRENDER} ${work}/song.xm ${target})
  expect("${err}" "is the same file as IN.xm, which it would destroy")
endforeach()
file(SHA256 ${work}/song.xm after)
expect("${after}" "^${song}$")

# The writes fail past 2 KiB; an ignored SIGXFSZ turns the limit into a failing write (EFBIG).
function(run_limited expected_code)
  run(${expected_code} sh -c "trap '' XFSZ && ulimit -f 2 && exec \"$@\"" sh ${ARGN})
  set(err "${err}" PARENT_SCOPE)
endfunction()
file(WRITE ${work}/out.xm "an existing OUT\n")
file(WRITE ${work}/out.wav "an existing OUT\n")
run_limited(1 ${XMCOMPACT} --expand ${work}/song.xm ${work}/out.xm)
expect("${err}" "out.xm: cannot be written: File too large\n$")
run_limited(1 ${XMRENDER} --seconds 600 --builtin ${work}/out.wav)
expect("${err}" "out.wav: cannot be written: File too large\n$")
foreach(kept out.xm out.wav)
  file(READ ${work}/${kept} text)
  expect("${text}" "^an existing OUT\n$")
endforeach()
file(GLOB left RELATIVE ${work} ${work}/*)
list(SORT left)
expect("${left}" "^link.xm;out.wav;out.xm;song.xm;symlink.xm$")

# Standard output that cannot take the data: the render stops at the first failed write.
execute_process(COMMAND ${XMRENDER} --seconds 21600 --builtin - OUTPUT_FILE /dev/full
                RESULT_VARIABLE code ERROR_VARIABLE err)
expect("${code}" "^1$")
expect("${err}" "xmrender: -: cannot be written: No space left on device\n$")
