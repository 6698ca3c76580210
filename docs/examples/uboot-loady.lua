-- Stop U-Boot's autoboot countdown, then load a file into memory with YMODEM (loady).
--   kestrum --run uboot-loady.lua --port ttyUSB0 --baud 115200
local image = arg and arg[1] or "u-boot-env.bin"

-- Power the board on (or press reset) after starting the script.
assert(expect("Hit any key to stop autoboot", 60000), "no autoboot countdown")
write(" ")
assert(expect("=> ", 5000), "no U-Boot prompt")

test("loady", function()
  write("loady 0x82000000\r")
  assert(expect("Ready for binary %(ymodem%) download", 5000), "loady did not start")
  sendfile(image, "YMODEM")
  local _, size = expect("Total Size%s*=%s*0x%x+%s*=%s*(%d+) Bytes", 10000)
  assert(size, "U-Boot did not report the size")
  note("U-Boot took " .. size .. " bytes")
  assert(expect("=> ", 5000))
end)
