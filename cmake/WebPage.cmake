# cmake -DSOURCE=web/page -DMODULE=rastelle.js -DPAGE=OUT -P WebPage.cmake
# Lays out the page's folder: every file of SOURCE, the module, and rastelle-source.js holding
# the module's text as one string literal. Files that left SOURCE leave OUT too.
file(REMOVE_RECURSE ${PAGE})
file(MAKE_DIRECTORY ${PAGE})
if(EXISTS ${SOURCE})
    file(COPY ${SOURCE}/ DESTINATION ${PAGE})
endif()
if(NOT EXISTS ${PAGE}/index.html)
    # Until the page is written: a page that loads the module and shows its version.
    file(WRITE ${PAGE}/index.html [=[<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Rastelle</title></head>
<body><pre id="version">Loading…</pre>
<script src="rastelle.js"></script>
<script>createRastelle().then(function (r) {
  document.getElementById('version').textContent = r.version();
});</script></body></html>
]=])
endif()
file(COPY ${MODULE} DESTINATION ${PAGE})

file(READ ${MODULE} text)
# A JS string literal: backslashes first, then quotes and line ends.
string(REPLACE "\\" "\\\\" text "${text}")
string(REPLACE "\"" "\\\"" text "${text}")
string(REPLACE "\r" "\\r" text "${text}")
string(REPLACE "\n" "\\n" text "${text}")
file(WRITE ${PAGE}/rastelle-source.js "var RASTELLE_MODULE_SOURCE = \"${text}\";\n")
