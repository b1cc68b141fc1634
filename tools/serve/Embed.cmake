# cmake -DIN=page.html -DOUT=PageAssets.h -P Embed.cmake: the page as a C++ string.
file(READ ${IN} text)
file(WRITE ${OUT} "// Made from ${IN} at build time.\n#pragma once\nnamespace custovia { namespace serve { namespace assets {\ninline const char kDashboard[] = R\"CUSTOVIA_PAGE(${text})CUSTOVIA_PAGE\";\n}}}\n")
