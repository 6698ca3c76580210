-- Log in to a Linux board on its serial console and run a command.
--   kestrum --run linux-login.lua --port ttyUSB0 --baud 115200 --junit login.xml
local user, password = "root", os.getenv("BOARD_PASSWORD") or ""

write("\r")
local _, i = expect({"login: ", "# ", "%$ "}, 30000)
if i == nil then fail("no login prompt and no shell prompt") end
if i == 1 then
  write(user .. "\r")
  if expect("Password: ", 5000) then write(password .. "\r") end
  assert(expect({"# ", "%$ "}, 10000), "no shell prompt after logging in")
end

test("kernel answers", function()
  write("uname -r\r")
  local _, release = expect("\n([%w%.%-_+]+)\r\n", 5000)
  assert(release, "no release string")
  note("kernel " .. release)
end)

test("self-test passes", function()
  write("echo self-test; true && echo RESULT=OK || echo RESULT=FAIL\r")
  local _, result = expect("RESULT=(%u+)", 10000)
  if result ~= "OK" then fail("self-test said " .. tostring(result)) end
end)
