.pragma library

// The licence texts "Show license texts" opens: the short licences in full, the long ones as
// their notice and where the whole text is found on a Debian-like system.

const unlicense = "This is free and unencumbered software released into the public domain.\n\n"
    + "Anyone is free to copy, modify, publish, use, compile, sell, or distribute this software, "
    + "either in source code form or as a compiled binary, for any purpose, commercial or "
    + "non-commercial, and by any means.\n\n"
    + "In jurisdictions that recognize copyright laws, the author or authors of this software "
    + "dedicate any and all copyright interest in the software to the public domain. We make "
    + "this dedication for the benefit of the public at large and to the detriment of our heirs "
    + "and successors. We intend this dedication to be an overt act of relinquishment in "
    + "perpetuity of all present and future rights to this software under copyright law.\n\n"
    + "THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED, "
    + "INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR "
    + "PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE AUTHORS BE LIABLE FOR ANY CLAIM, "
    + "DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING "
    + "FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN THE "
    + "SOFTWARE."

function mit(holder) {
    return "Copyright © " + holder + "\n\n"
        + "Permission is hereby granted, free of charge, to any person obtaining a copy of this "
        + "software and associated documentation files (the \"Software\"), to deal in the "
        + "Software without restriction, including without limitation the rights to use, copy, "
        + "modify, merge, publish, distribute, sublicense, and/or sell copies of the Software, "
        + "and to permit persons to whom the Software is furnished to do so, subject to the "
        + "following conditions:\n\n"
        + "The above copyright notice and this permission notice shall be included in all "
        + "copies or substantial portions of the Software.\n\n"
        + "THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED, "
        + "INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A "
        + "PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE AUTHORS OR COPYRIGHT "
        + "HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF "
        + "CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE "
        + "OR THE USE OR OTHER DEALINGS IN THE SOFTWARE."
}

function isc(holder) {
    return "Copyright © " + holder + "\n\n"
        + "Permission to use, copy, modify, and/or distribute this software for any purpose with "
        + "or without fee is hereby granted, provided that the above copyright notice and this "
        + "permission notice appear in all copies.\n\n"
        + "THE SOFTWARE IS PROVIDED \"AS IS\" AND THE AUTHOR DISCLAIMS ALL WARRANTIES WITH REGARD "
        + "TO THIS SOFTWARE INCLUDING ALL IMPLIED WARRANTIES OF MERCHANTABILITY AND FITNESS. IN "
        + "NO EVENT SHALL THE AUTHOR BE LIABLE FOR ANY SPECIAL, DIRECT, INDIRECT, OR "
        + "CONSEQUENTIAL DAMAGES OR ANY DAMAGES WHATSOEVER RESULTING FROM LOSS OF USE, DATA OR "
        + "PROFITS, WHETHER IN AN ACTION OF CONTRACT, NEGLIGENCE OR OTHER TORTIOUS ACTION, "
        + "ARISING OUT OF OR IN CONNECTION WITH THE USE OR PERFORMANCE OF THIS SOFTWARE."
}

function ofl(holder, packageName) {
    return "Copyright © " + holder + "\n\n"
        + "This Font Software is licensed under the SIL Open Font License, Version 1.1. It may be "
        + "used, studied, modified and redistributed freely as long as it is not sold by itself; "
        + "derivative fonts must stay under the same licence and may not use the reserved font "
        + "names.\n\n"
        + "The whole licence: /usr/share/doc/" + packageName + "/copyright, or "
        + "openfontlicense.org."
}

const lgpl = "FFmpeg is free software; you can redistribute it and/or modify it under the terms of "
    + "the GNU Lesser General Public License as published by the Free Software Foundation; "
    + "either version 2.1 of the License, or (at your option) any later version.\n\n"
    + "FFmpeg is distributed in the hope that it will be useful, but WITHOUT ANY WARRANTY; "
    + "without even the implied warranty of MERCHANTABILITY or FITNESS FOR A PARTICULAR "
    + "PURPOSE. See the GNU Lesser General Public License for more details.\n\n"
    + "kelvo runs FFmpeg as a separate program and does not link it. The whole licence: "
    + "/usr/share/common-licenses/LGPL-2.1."

const texts = [
    { name: "yt-dlp", license: "The Unlicense", text: unlicense },
    { name: "Deno", license: "MIT License", text: mit("the Deno authors") },
    { name: "FFmpeg", license: "GNU LGPL 2.1 or later", text: lgpl },
    { name: "Inter", license: "SIL Open Font License 1.1",
      text: ofl("The Inter Project Authors", "fonts-inter") },
    { name: "JetBrains Mono", license: "SIL Open Font License 1.1",
      text: ofl("The JetBrains Mono Project Authors", "fonts-jetbrains-mono") },
    { name: "Lucide icons", license: "ISC License", text: isc("Lucide Contributors") }
]
