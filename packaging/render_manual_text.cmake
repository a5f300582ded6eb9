# Renders the manual page as plain text for Windows, where there is no man:
# no overstriking, 78 columns, CR LF line ends.
# Usage: cmake -DGROFF=... -DPAGE=... -DOUTPUT=... -P render_manual_text.cmake
execute_process(
    COMMAND ${GROFF} -man -Tascii -P-cbou -rLL=78n ${PAGE}
    OUTPUT_VARIABLE text
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "groff could not render ${PAGE}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
