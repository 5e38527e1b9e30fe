#pragma once
// The Lua script that applies a batch of learning or forgetting on the Redis server, as
// the caller worked it out (batch_changes.h) from how it believed each message was learned
// before. The script checks that belief first, atomically: when any message is learned
// otherwise now (another node taught it meanwhile) nothing is written and the answer is
// how each message stands, for the caller to work the batch out again. The tokens are read
// and written a thousand to a command, never one command per token; counts never go below
// zero; the least recently learned tokens go beyond "Max Tokens".
//
// KEYS: spam, ham, seen, messages, totals.
// ARGV: the time, the most tokens (0: no limit), the number of messages checked, of
// messages written, of tokens changed and of their groups, the change of the spam and of
// the ham total; then each message checked, its digest and how it was learned ("spam",
// "ham" or ""); each message written, its digest and how it ends ("" forgotten); the
// tokens' fields, group by group; each group, its number of tokens and the change of their
// spam and of their ham count (bulk learning has few groups: most tokens change by 1).
// Answers 1 when it applied the batch, else an array of how each checked message stands.

namespace kz::bayes {

inline constexpr const char* kRedisLearning = R"lua(
local now, most = ARGV[1], tonumber(ARGV[2])
local checked, written, n = tonumber(ARGV[3]), tonumber(ARGV[4]), tonumber(ARGV[5])
local piece = 1000  -- arguments of one command, well below Lua's limit of unpack
local function apply(command, key, args)
  for at = 1, #args, piece do
    redis.call(command, key, unpack(args, at, math.min(#args, at + piece - 1)))
  end
end

local at = 9
local fields = {}
for j = 0, checked - 1 do fields[#fields + 1] = ARGV[at + 2 * j] end
local states, differ = #fields > 0 and redis.call('HMGET', KEYS[4], unpack(fields)) or {}, false
for j = 1, checked do
  states[j] = states[j] or ''
  if states[j] ~= ARGV[at + 2 * j - 1] then differ = true end
end
if differ then return states end

at = at + 2 * checked
local learned, forgotten = {}, {}
for j = at, at + 2 * written - 1, 2 do
  if ARGV[j + 1] == '' then forgotten[#forgotten + 1] = ARGV[j]
  else learned[#learned + 1] = ARGV[j]; learned[#learned + 1] = ARGV[j + 1] end
end
apply('HSET', KEYS[4], learned)
apply('HDEL', KEYS[4], forgotten)

local from = at + 2 * written
local groups = from + n
for k = groups, groups + 3 * tonumber(ARGV[6]) - 1, 3 do
  local texts = {ARGV[k + 1], ARGV[k + 2]}
  local steps = {tonumber(texts[1]), tonumber(texts[2])}
  local up = steps[1] > 0 or steps[2] > 0
  local to = from + tonumber(ARGV[k]) - 1
  -- A thousand tokens at a time: read, worked out, written. A class is read where it
  -- changes, and both where a token may lose all.
  for first = from, to, piece do
    local last = math.min(to, first + piece - 1)
    local was = {}
    for class = 1, 2 do
      if steps[class] ~= 0 or not up then
        was[class] = redis.call('HMGET', KEYS[class], unpack(ARGV, first, last))
      end
    end
    local set, drop, sets, drops = {{}, {}}, {{}, {}}, {0, 0}, {0, 0}
    local seen, unseen, seens, unseens = {}, {}, 0, 0
    local only = (steps[2] == 0 and 1) or (steps[1] == 0 and 2) or nil
    if only and steps[only] > 0 then
      -- Bulk learning: one class's counts go up; a new token's count is its step, written
      -- as it came (no number formatting).
      local put, had, step, text, c = set[only], was[only], steps[only], texts[only], 0
      for j = first, last do
        local token, count = ARGV[j], had[j - first + 1]
        put[c + 1] = token; put[c + 2] = count and tonumber(count) + step or text
        seen[c + 1] = now; seen[c + 2] = token
        c = c + 2
      end
      sets[only], seens = c, c
    else
      for j = first, last do
        local token, left = ARGV[j], false
        for class = 1, 2 do
          local count = was[class] and tonumber(was[class][j - first + 1]) or 0
          local step = steps[class]
          if step ~= 0 then
            -- A new token's count is its step, as in bulk learning.
            local value = count == 0 and texts[class] or nil
            count = count + step
            if count > 0 then
              local c = sets[class]
              set[class][c + 1] = token; set[class][c + 2] = value or count
              sets[class] = c + 2
            else
              drops[class] = drops[class] + 1; drop[class][drops[class]] = token
            end
          end
          if count > 0 then left = true end
        end
        if up then seen[seens + 1] = now; seen[seens + 2] = token; seens = seens + 2
        elseif not left then unseens = unseens + 1; unseen[unseens] = token end
      end
    end
    for class = 1, 2 do
      if sets[class] > 0 then redis.call('HSET', KEYS[class], unpack(set[class], 1, sets[class])) end
      if drops[class] > 0 then redis.call('HDEL', KEYS[class], unpack(drop[class], 1, drops[class])) end
    end
    if seens > 0 then redis.call('ZADD', KEYS[3], 'GT', unpack(seen, 1, seens)) end
    if unseens > 0 then redis.call('ZREM', KEYS[3], unpack(unseen, 1, unseens)) end
  end
  from = to + 1
end

for class, step in pairs({spam = tonumber(ARGV[7]), ham = tonumber(ARGV[8])}) do
  if step ~= 0 and redis.call('HINCRBY', KEYS[5], class, step) < 0 then
    redis.call('HSET', KEYS[5], class, 0)
  end
end

if most > 0 then
  local keep = most - math.floor(most / 10)
  local excess = redis.call('ZCARD', KEYS[3]) - keep
  if excess > most - keep then
    while excess > 0 do
      local take = math.min(excess, piece)
      local oldest = redis.call('ZRANGE', KEYS[3], 0, take - 1)
      redis.call('HDEL', KEYS[1], unpack(oldest))
      redis.call('HDEL', KEYS[2], unpack(oldest))
      redis.call('ZREMRANGEBYRANK', KEYS[3], 0, take - 1)
      excess = excess - take
    end
  end
end
return 1
)lua";

}  // namespace kz::bayes
