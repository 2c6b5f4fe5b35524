# Converts the user manual to PDF with LibreOffice (cmake -P, at build time).
#   SOFFICE  the LibreOffice program     INPUT   the manual's .docx
#   OUTPUT   the PDF to write            WORK    a scratch folder of this conversion
# The converter names its result after its input and keeps a profile in the user's home, so
# it works on a copy with a plain name and a profile of its own: a running office, another
# build or a home that cannot be written does not interfere. The PDF replaces the old one in
# one rename, only once it is complete.
foreach(var SOFFICE INPUT OUTPUT WORK)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "ManualPdf.cmake: ${var} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY_FILE "${INPUT}" "${WORK}/manual.docx")
execute_process(
    COMMAND "${SOFFICE}" --headless --norestore "-env:UserInstallation=file://${WORK}/profile"
            --convert-to pdf --outdir "${WORK}" "${WORK}/manual.docx"
    RESULT_VARIABLE status
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    TIMEOUT 900)
set(pdf "${WORK}/manual.pdf")
if(EXISTS "${pdf}")
    file(SIZE "${pdf}" size)
    file(READ "${pdf}" head LIMIT 5 HEX)
endif()
if(NOT status EQUAL 0 OR NOT EXISTS "${pdf}" OR size EQUAL 0 OR NOT head STREQUAL "255044462d")
    message(FATAL_ERROR
        "LibreOffice не смог сделать PDF инструкции пользователя (код ${status}):\n${out}${err}\n"
        "Соберите без PDF: cmake -DKELMO_MANUAL_PDF=OFF .")
endif()
file(RENAME "${pdf}" "${OUTPUT}")
file(REMOVE_RECURSE "${WORK}")
