# The package's Debian changelog, made from CHANGELOG.md: an entry for each release heading
# ("## 0.1.0 – 2026-12-06"), its items as "  * " lines wrapped at 78 columns. What is under
# "## Unreleased" goes out with the version being packaged, before that version's own items.
#   awk -v version=0.1.0 -v date=2026-12-06 -v maintainer="Name <address>" \
#       -v output=changelog -f debian-changelog.awk CHANGELOG.md

# "Sun, 06 Dec 2026 00:00:00 +0000" for "2026-12-06" (Zeller's congruence for the weekday).
function rfc2822(iso,    p, y, m, d, h) {
    split(iso, p, "-")
    y = p[1] + 0; m = p[2] + 0; d = p[3] + 0
    if (m < 3) { m += 12; y -= 1 }
    h = (d + int(13 * (m + 1) / 5) + y % 100 + int((y % 100) / 4) + int(int(y / 100) / 4) \
         + 5 * int(y / 100)) % 7
    return substr("SatSunMonTueWedThuFri", 3 * h + 1, 3) ", " sprintf("%02d", p[3] + 0) " " \
        substr("JanFebMarAprMayJunJulAugSepOctNovDec", 3 * (p[2] - 1) + 1, 3) " " p[1] \
        " 00:00:00 +0000"
}

# The item gathered so far, its Markdown marks dropped, wrapped.
function flush_item(    n, w, i, line) {
    if (item == "")
        return
    gsub(/`|\*\*/, "", item)
    n = split(item, w, /[ \t]+/)
    line = "  *"
    for (i = 1; i <= n; i++) {
        if (w[i] == "")
            continue
        if (length(line) + 1 + length(w[i]) > 78 && line != "  *" && line != "   ") {
            items = items line "\n"
            line = "   "
        }
        line = line " " w[i]
    }
    items = items line "\n"
    item = ""
}

function close_entry() {
    flush_item()
    if (entry == "")
        return
    if (items == "")
        items = "  * Released.\n"
    printf "porteval (%s) unstable; urgency=medium\n\n%s\n -- %s  %s\n\n", entry, items, maintainer,
        rfc2822(when) > output
    entry = ""; items = ""
}

/^## Unreleased/ {
    close_entry()
    entry = version; when = date
    next
}
/^## [0-9]/ {
    flush_item()
    if ($2 != entry) {
        close_entry()
        entry = $2; when = $NF
    }
    next
}
entry != "" && /^- / { flush_item(); item = substr($0, 3); next }
entry != "" && item != "" && /^  +[^ ]/ { sub(/^ +/, ""); item = item " " $0; next }
END { close_entry() }
