# Writes the user manual and its PDF edition (cmake -P, at build time).
#   MAKE_MANUAL  kelmo-make-manual       SOURCE  the manual's text (docs/manual/manual.txt)
#   SOFFICE      the LibreOffice program PDFTOTEXT  poppler's pdftotext, or empty
#   DOCX, PDF    the files to write      WORK    a scratch folder of this conversion
# LibreOffice lays the manual out and fills in the contents' page numbers; those numbers are
# then read back from the PDF and written into the .docx, so that its contents shows them
# before Word updates a field. The converter names its result after its input and keeps a
# profile in the user's home, so it works on a copy with a plain name and a profile of its
# own: a running office, another build or a home that cannot be written does not interfere.
# Each file replaces the old one in one rename, only once it is complete; the PDF goes last.
foreach(var MAKE_MANUAL SOURCE SOFFICE DOCX PDF WORK)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "ManualPdf.cmake: ${var} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${MAKE_MANUAL}" "${WORK}/manual.docx" "${SOURCE}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "Инструкция пользователя не собрана (код ${status})")
endif()
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

set(docx "${WORK}/manual.docx")
if(PDFTOTEXT)
    # The contents fills the first pages.
    execute_process(COMMAND "${PDFTOTEXT}" -layout -enc UTF-8 -f 1 -l 4 "${pdf}"
                            "${WORK}/contents.txt"
                    RESULT_VARIABLE status)
    if(status EQUAL 0)
        execute_process(COMMAND "${MAKE_MANUAL}" "${WORK}/numbered.docx" "${SOURCE}"
                                "${WORK}/contents.txt"
                        RESULT_VARIABLE status)
        if(status EQUAL 0)
            set(docx "${WORK}/numbered.docx")
        endif()
    endif()
endif()
file(RENAME "${docx}" "${DOCX}")
file(RENAME "${pdf}" "${PDF}")
file(REMOVE_RECURSE "${WORK}")
