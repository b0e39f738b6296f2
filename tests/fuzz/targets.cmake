# The fuzz targets, named once for the fuzz build (tests/fuzz) and for the
# native build's ctest, which runs each for a bounded time (fuzz.*).
set(VXM_FUZZ_TARGET_NAMES
  fuzz_language_stream
  fuzz_tdm_startup
  fuzz_monitor_messages
  fuzz_editor_model
  fuzz_config_hid
  fuzz_linux_parsers
)
