#!/bin/sh
# A SOCKS proxy through ssh for tests: sshd.sh <dir> <ssh port> <socks port>. Starts sshd on
# 127.0.0.1:<ssh port> with a private configuration and keys made in <dir>, then runs the ssh client
# in the foreground with dynamic forwarding on 127.0.0.1:<socks port> (SOCKS4, 4a and 5). Stopping the
# process group stops both.
set -eu
dir=$1
sshport=$2
socksport=$3
mkdir -p "$dir"
chmod 0700 "$dir"
user=$(id -un)
[ -f "$dir/host_key" ] || ssh-keygen -q -t ed25519 -N '' -f "$dir/host_key"
[ -f "$dir/user_key" ] || ssh-keygen -q -t ed25519 -N '' -f "$dir/user_key"
cp "$dir/user_key.pub" "$dir/authorized_keys"
cat > "$dir/sshd_config" <<CONF
ListenAddress 127.0.0.1
Port $sshport
HostKey $dir/host_key
PidFile $dir/sshd.pid
AuthorizedKeysFile $dir/authorized_keys
AllowUsers $user
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
AllowTcpForwarding yes
PermitOpen 127.0.0.1:* localhost:*
X11Forwarding no
PrintMotd no
LogLevel ERROR
CONF
# sshd wants its privilege separation folder, which the packaged service would make.
[ -d /run/sshd ] || mkdir -p /run/sshd 2>/dev/null || true
/usr/sbin/sshd -D -e -f "$dir/sshd_config" 2>>"$dir/sshd.log" &
i=0
while ! ssh-keyscan -p "$sshport" 127.0.0.1 >/dev/null 2>&1; do
    i=$((i + 1))
    [ $i -lt 100 ] || exit 1
    sleep 0.1
done
exec ssh -N -D "127.0.0.1:$socksport" -p "$sshport" -i "$dir/user_key" -o BatchMode=yes \
    -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o ExitOnForwardFailure=yes \
    -o LogLevel=ERROR "$user@127.0.0.1" 2>>"$dir/ssh.log"
