#!/usr/bin/env bash
# Writes the in-app benchmark's tables (Markdown) from the figures
# bench/app_bench.sh recorded: each command's median time at a tenth and at
# full against the yardstick of the same run, the time to the frame that
# shows each command's change, the start-up, the peak memory
# of all the app's processes and the CPU they use while nothing happens.
#
#   bench/app_table.sh RAW_FILE
set -euo pipefail
raw=${1:?usage: bench/app_table.sh RAW_FILE}
awk '
function median(list, n,   a, i, j, t) {
  n = split(list, a, ",")
  for (i = 1; i <= n; ++i) for (j = i + 1; j <= n; ++j) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
  return n == 0 ? "" : a[int((n + 1) / 2)]
}
function add(key, value) { seen[key] = seen[key] == "" ? value : seen[key] "," value }
function mb(bytes) { return sprintf("%.0f MB", bytes / 1e6) }
function yes(ok) { return ok ? "yes" : "**no**" }
function orDash(value) { return value == "" ? "–" : value }
{
  scale = $1; command = $2; split($3, kv, "="); key = kv[1]; value = substr($3, length(key) + 2)
  if (key == "failed") { failed[scale, command] = 1; next }
  if (command != "idle" && !((command) in order)) { order[command] = ++ncommands; name[ncommands] = command }
  v[scale, command, key] = value
  if (key == "yardstick_ms") add("yard," scale, value)
  # A command run marks its peak before its yardstick: that one counts.
  if (key == "mark_peak_rss_sum") { marked[scale, command] = 1; if (value + 0 > peak[scale] + 0) peak[scale] = value }
  if (key == "peak_rss_sum") { if (command == "idle") idlepeak[scale] = value; else if (!((scale, command) in marked) && value + 0 > peak[scale] + 0) peak[scale] = value }
}
END {
  print "| Command | tenth (ms) | tenth / yardstick | full (ms) | full / yardstick | Target | Met |"
  print "|---|---:|---:|---:|---:|---|---|"
  printf "| Yardstick: the page'"'"'s markup written into a fresh document (median over the runs) | %s | | %s | | | |\n", median(seen["yard,tenth"]), median(seen["yard,full"])
  all = 1
  for (i = 1; i <= ncommands; ++i) {
    c = name[i]
    line = "| " c
    ok = 1
    for (s = 0; s < 2; ++s) {
      scale = s == 0 ? "tenth" : "full"
      limit = s == 0 ? 1.5 : 0.8
      if ((scale, c) in failed || v[scale, c, "ratio"] == "") { line = line " | failed | "; ok = 0; continue }
      line = line sprintf(" | %s (max %s) | %s", v[scale, c, "median_ms"], v[scale, c, "max_ms"], v[scale, c, "ratio"])
      if (v[scale, c, "ratio"] + 0 > limit) ok = 0
      ratios[scale] = ratios[scale] "," (v[scale, c, "startup_ms"] / v[scale, c, "yardstick_ms"])
      starts[scale] = starts[scale] "," v[scale, c, "startup_ms"]
      settled[scale] = settled[scale] "," v[scale, c, "startup_settled_ms"]
    }
    if (!ok) all = 0
    print line " | ≤ 1.5 at tenth, ≤ 0.8 at full | " yes(ok) " |"
  }
  print ""
  print "| What the user sees: from the call to the first frame painted after it (median ms, no target) | tenth | full |"
  print "|---|---:|---:|"
  for (i = 1; i <= ncommands; ++i) {
    c = name[i]
    printf "| %s | %s | %s |\n", c, orDash(v["tenth", c, "frame_median_ms"]), orDash(v["full", c, "frame_median_ms"])
  }
  print ""
  print "| Start-up (median over the runs) | tenth | full | Target | Met |"
  print "|---|---:|---:|---|---|"
  for (s = 0; s < 2; ++s) { scale = s == 0 ? "tenth" : "full"; sub(/^,/, "", ratios[scale]); sub(/^,/, "", starts[scale]); sub(/^,/, "", settled[scale]) }
  printf "| Navigation start to the end of the first layout after onload (ms) | %s | %s | | |\n", median(starts["tenth"]), median(starts["full"])
  printf "| The same, to the end of the page'"'"'s first reaction (tidy) and its layout (ms) | %s | %s | | |\n", median(settled["tenth"]), median(settled["full"])
  fr = median(ratios["full"])
  printf "| Start-up / yardstick of the same run | %.2f | %.2f | ≤ 3 at full | %s |\n", median(ratios["tenth"]), fr, yes(fr != "" && fr + 0 <= 3)
  print ""
  print "| Memory: peak resident size of all the app'"'"'s processes (sum of each process'"'"'s peak) | empty folder | tenth | full | Target | Met |"
  print "|---|---:|---:|---:|---|---|"
  okm = idlepeak["full"] != "" && idlepeak["empty"] != "" && idlepeak["full"] - idlepeak["empty"] <= 200e6
  printf "| Start-up, then 30 s with nothing happening | %s | %s | %s | full ≤ empty + 200 MB | %s |\n", mb(idlepeak["empty"]), mb(idlepeak["tenth"]), mb(idlepeak["full"]), yes(okm)
  printf "| Highest of the commands'"'"' runs (up to each one'"'"'s yardstick) | | %s | %s | | |\n", mb(peak["tenth"]), mb(peak["full"])
  print ""
  print "| Idle: CPU of all the app'"'"'s processes over 20 s with nothing happening | empty folder | tenth | full | Target | Met |"
  print "|---|---:|---:|---:|---|---|"
  oki = v["empty", "idle", "idle_cpu_percent"] != "" && v["tenth", "idle", "idle_cpu_percent"] != "" && v["full", "idle", "idle_cpu_percent"] != "" && v["empty", "idle", "idle_cpu_percent"] + 0 <= 1 && v["tenth", "idle", "idle_cpu_percent"] + 0 <= 1 && v["full", "idle", "idle_cpu_percent"] + 0 <= 1
  printf "| Percent of one core | %s | %s | %s | ≤ 1 at every size | %s |\n", v["empty", "idle", "idle_cpu_percent"], v["tenth", "idle", "idle_cpu_percent"], v["full", "idle", "idle_cpu_percent"], yes(oki)
  print ""
  printf "Every command within its target: %s.\n", all ? "yes" : "no"
}
' "$raw"
