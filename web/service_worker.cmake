# Writes the site's service worker (cmake -P): the template with the list of the site's files and
# a version made from their contents, so that a build that changes any file changes the worker.
#   -DSITE=<site folder> -DTEMPLATE=<sw.js.in> -DFILES=<name;name;...>
set(digests "")
set(quoted "")
foreach(name IN LISTS FILES)
    file(SHA256 ${SITE}/${name} digest)
    string(APPEND digests "${digest}")
    list(APPEND quoted "'${name}'")
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING "${version}" 0 16 SITE_VERSION)
list(JOIN quoted ", " SITE_FILE_LIST)
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
