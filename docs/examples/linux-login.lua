-- Log in to a Linux board on its serial console and run a command.
--   kestrum --run linux-login.lua --port ttyUSB0 --baud 115200 --junit login.xml
--   kestrum --run linux-login.lua --port demo://board
local user, password = "root", os.getenv("BOARD_PASSWORD") or ""

-- A board that is still booting talks; one at its prompt stays silent until asked. A key during
-- the bootloader's countdown would stop the boot, so a talking board is only listened to. The
-- silence is heard with read, which fails nothing when nothing comes: a timed-out expect would
-- fail the script even though it goes on to log in.
local prompts = {"login: ", "# ", "%$ "}
if read(1, 2000) == nil then
  write("\r")
end
local _, i = expect({"login: ", "# ", "%$ ", "=> "}, 60000)
if i == 4 then
  write("boot\r")
  _, i = expect(prompts, 60000)
end
if i == nil then fail("no login prompt and no shell prompt") end
if i == 1 then
  write(user .. "\r")
  -- A board without a password goes straight to its prompt.
  local _, j = expect({"Password: ", "# ", "%$ "}, 10000)
  if j == 1 then
    write(password .. "\r")
    _, j = expect({"# ", "%$ "}, 10000)
  end
  assert(j, "no shell prompt after logging in")
end

test("kernel answers", function()
  write("uname -r\r")
  local _, release = expect("\n([%w%.%-_+]+)\r\n", 5000)
  assert(release, "no release string")
  note("kernel " .. release)
end)

test("self-test passes", function()
  write("echo self-test; true && echo RESULT=OK || echo RESULT=FAIL\r")
  -- After a line end: the typed line comes back first, and it names both results.
  local _, result = expect("\nRESULT=(%u+)", 10000)
  if result ~= "OK" then fail("self-test said " .. tostring(result)) end
end)
