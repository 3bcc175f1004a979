# The manifest address the sources come with names a host that serves no manifest of ours.
set(ZEPH_PLACEHOLDER_MANIFEST_PATTERN "^https://zeph-resolve\\.supabase\\.co[:/]")
