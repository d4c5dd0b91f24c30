# Writes the site's service worker (cmake -P): the template with the list of the site's files and
# a version made from their contents, so that a build that changes any file changes the worker.
#   -DSITE=<site folder> -DTEMPLATE=<sw.js.in> -DFILES=<name;...> -DLATER=<name;...>
# FILES are kept when the worker is installed, LATER once they are fetched.
set(digests "")
foreach(list FILES LATER)
    set(quoted "")
    foreach(name IN LISTS ${list})
        file(SHA256 ${SITE}/${name} digest)
        string(APPEND digests "${digest}")
        list(APPEND quoted "'${name}'")
    endforeach()
    list(JOIN quoted ", " ${list}_QUOTED)
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING "${version}" 0 16 SITE_VERSION)
set(SITE_FILE_LIST "${FILES_QUOTED}")
set(SITE_LATER_LIST "${LATER_QUOTED}")
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
